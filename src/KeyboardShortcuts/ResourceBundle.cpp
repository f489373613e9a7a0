#include "KeyboardShortcuts/ResourceBundle.h"

#include "KeyboardShortcuts/ShortcutsLogging.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace KeyboardShortcuts {

namespace {

const char *const translationContext = "KeyboardShortcuts";
const QString catalogueName = QStringLiteral("keyboardshortcuts");

} // namespace

ResourceBundle::SearchInputs ResourceBundle::processSearchInputs()
{
    SearchInputs inputs;
    inputs.applicationResources = QStringLiteral(":/");
    // The subsystem is linked statically into the executable, so the binary
    // holding this code is the application itself; its installed data lives
    // in ../share/halvex next to bin/.
    const QString applicationDirectory
        = QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QString();
    inputs.applicationDirectory = applicationDirectory;
    if (!applicationDirectory.isEmpty())
        inputs.moduleResources = QDir::cleanPath(applicationDirectory + QStringLiteral("/../share/halvex"));
    if (qEnvironmentVariableIsSet(environmentVariable))
        inputs.environmentPath = qEnvironmentVariable(environmentVariable);
    return inputs;
}

QStringList ResourceBundle::candidateDirectories(const SearchInputs &inputs)
{
    QStringList candidates;
    const auto add = [&candidates](const QString &directory) {
        if (!directory.isEmpty())
            candidates.append(directory);
    };
    add(inputs.applicationResources);
    add(inputs.moduleResources);
    add(inputs.applicationDirectory);
    if (inputs.environmentPath) {
        const QString &path = *inputs.environmentPath;
        add(path);
        // A directory that cannot be listed adds nothing more.
        const QDir directory(path);
        if (!path.isEmpty() && directory.exists()) {
            const QStringList frameworks
                = directory.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
            for (const QString &entry : frameworks) {
                if (entry.endsWith(QStringLiteral(".framework")))
                    candidates.append(path + QLatin1Char('/') + entry);
            }
        }
    }
    if (!inputs.moduleResources.isEmpty())
        candidates.append(inputs.moduleResources + QStringLiteral("/.."));
    return candidates;
}

std::optional<QString> ResourceBundle::find(const QStringList &candidates)
{
    for (const QString &candidate : candidates) {
        const QString bundle = QDir(candidate).filePath(QLatin1String(bundleName));
        if (QFileInfo(bundle).isDir())
            return bundle;
    }
    return std::nullopt;
}

QString ResourceBundle::findOrDie(const QStringList &candidates)
{
    const std::optional<QString> bundle = find(candidates);
    if (!bundle)
        qFatal("unable to find bundle named KeyboardShortcuts_KeyboardShortcuts");
    return *bundle;
}

ResourceBundle::ResourceBundle(const QString &bundlePath, const QLocale &locale)
    : m_path(bundlePath)
{
    if (!m_translator.load(locale, catalogueName, QStringLiteral("_"), bundlePath)
        && !m_translator.load(catalogueName + QStringLiteral("_en"), bundlePath)) {
        qCWarning(lcShortcuts) << "no catalogue in" << bundlePath << "; texts show as their keys";
    }
}

QString ResourceBundle::localized(const char *key) const
{
    const QString text = m_translator.translate(translationContext, key);
    return text.isEmpty() ? QString::fromUtf8(key) : text;
}

const ResourceBundle &ResourceBundle::shared()
{
    static const ResourceBundle bundle(findOrDie(candidateDirectories(processSearchInputs())));
    return bundle;
}

QString localized(const char *key)
{
    return ResourceBundle::shared().localized(key);
}

} // namespace KeyboardShortcuts
