#pragma once

#include <cstdlib>
#include <memory>

// Owns a reply or event that libxcb allocated with malloc().
struct XcbFree
{
    void operator()(void *p) const noexcept { std::free(p); }
};

template<typename T> using XcbReply = std::unique_ptr<T, XcbFree>;
