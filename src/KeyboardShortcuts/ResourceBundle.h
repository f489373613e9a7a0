#pragma once

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTranslator>

#include <optional>

namespace KeyboardShortcuts {

// Where the shortcut subsystem's own texts come from: a directory named
// "KeyboardShortcuts_KeyboardShortcuts.bundle" holding one compiled Qt
// catalogue per language (keyboardshortcuts_<language>.qm), looked up by key.
// The application carries it in its Qt resources; an installation or the
// PACKAGE_RESOURCE_BUNDLE_PATH environment variable can provide it as well.
class ResourceBundle
{
public:
    static constexpr auto bundleName = "KeyboardShortcuts_KeyboardShortcuts.bundle";
    static constexpr auto environmentVariable = "PACKAGE_RESOURCE_BUNDLE_PATH";

    // Inputs of the candidate search, so that it can be exercised without
    // touching the process.
    struct SearchInputs
    {
        QString applicationResources; // resources compiled into the application (":/")
        QString moduleResources; // data directory that belongs to the binary holding this code
        QString applicationDirectory; // directory of the executable
        std::optional<QString> environmentPath; // value of PACKAGE_RESOURCE_BUNDLE_PATH when set
    };

    // The inputs of this process.
    static SearchInputs processSearchInputs();

    // Directories to look in, in order: application resources, the module's
    // resources, the application directory, the environment path followed by
    // each "*.framework" entry inside it (by name; none when it cannot be
    // listed), and the parent of the module's resources. Empty inputs are
    // skipped.
    static QStringList candidateDirectories(const SearchInputs &inputs);

    // The first candidate that holds the bundle directory, as the bundle's path.
    static std::optional<QString> find(const QStringList &candidates);

    // As find(), but ends the program with "unable to find bundle named
    // KeyboardShortcuts_KeyboardShortcuts" when no candidate holds it.
    static QString findOrDie(const QStringList &candidates);

    // Loads the catalogue of the first language of locale.uiLanguages() that
    // the bundle has, else English.
    explicit ResourceBundle(const QString &bundlePath, const QLocale &locale = QLocale());
    ResourceBundle(const ResourceBundle &) = delete;
    ResourceBundle &operator=(const ResourceBundle &) = delete;

    QString path() const { return m_path; }
    // The text for key; the key itself when the catalogue lacks it.
    QString localized(const char *key) const;

    // The bundle of this process, found on first use and kept.
    static const ResourceBundle &shared();

private:
    QString m_path;
    QTranslator m_translator;
};

// The shared bundle's text for key.
QString localized(const char *key);

} // namespace KeyboardShortcuts
