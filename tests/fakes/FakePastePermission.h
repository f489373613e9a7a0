#pragma once

#include "settings/PastePermission.h"

// A permission whose state the test sets; counts the checks and requests.
class FakePastePermission final : public PastePermission
{
public:
    bool isGranted() override
    {
        ++checks;
        return granted;
    }
    bool request() override
    {
        ++requests;
        return granted;
    }
    QString missingExplanation() const override { return explanation; }
    bool isSupported() const override { return supported; }

    bool granted = false;
    bool supported = true;
    QString explanation;
    int checks = 0;
    int requests = 0;
};
