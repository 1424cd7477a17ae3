#include "ui/UiLanguage.h"

#include "platform/widgets/WindowSystem.h"

#include <QCoreApplication>
#include <QDir>
#include <QTranslator>

namespace
{

// "en_US.UTF-8" -> "en", "ja_JP@x" -> "ja".
QString languageOf(const QString &value)
{
    qsizetype end = 0;
    while (end < value.size() && value.at(end) != u'_' && value.at(end) != u'.' &&
           value.at(end) != u'@')
        ++end;
    return value.left(end).toLower();
}

} // namespace

UiLanguage::Choice UiLanguage::choose(const QString &option, const QProcessEnvironment &environment)
{
    if (option == QLatin1String("en"))
        return Choice::English;
    if (option == QLatin1String("ja"))
        return Choice::Japanese;
    for (const char *name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        QString value = environment.value(QLatin1String(name));
        // LANGUAGE is a list by preference, "en_GB:en".
        if (qstrcmp(name, "LANGUAGE") == 0)
            value = value.split(u':', Qt::SkipEmptyParts).value(0);
        if (value.isEmpty())
            continue;
        const QString language = languageOf(value);
        if (language == QLatin1String("c") || language == QLatin1String("posix") ||
            language == QLatin1String("ja"))
            return Choice::Japanese;
        return Choice::English;
    }
    return Choice::Japanese;
}

QStringList UiLanguage::folders(const QString &programFolder)
{
    const QDir dir(programFolder);
    return {dir.filePath(QStringLiteral("translations")),
            QDir::cleanPath(dir.filePath(QStringLiteral("../share/qxwatch/translations")))};
}

bool UiLanguage::install(Choice choice, const QStringList &folders)
{
    if (choice == Choice::Japanese)
        return WindowSystem::installToolkitTranslation();
    auto *translator = new QTranslator(QCoreApplication::instance());
    for (const QString &folder : folders) {
        if (translator->load(QStringLiteral("qxwatch_en"), folder))
            return QCoreApplication::installTranslator(translator);
    }
    delete translator;
    return false;
}
