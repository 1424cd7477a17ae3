#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The language of the program's texts. The texts in the sources are Japanese and are what the
// program shows unless the user speaks another language: then the English translation
// (qxwatch_en.qm) replaces them. Files keep their Shift-JIS, their headers and their keys
// whatever the choice; only what the window and the messages say changes.
//
// Thread contract: main thread only, before the first window is made (installing a translation
// later would leave the texts already shown in the other language).
class UiLanguage
{
public:
    enum class Choice { Japanese, English };

    // option: --lang's value ("en", "ja") or empty. Without one, the first of LANGUAGE (its
    // first entry), LC_ALL, LC_MESSAGES and LANG that is set names the user's language: Japanese
    // for "ja...", English for any other. None set, or "C" / "POSIX", is no choice at all: the
    // program keeps its own Japanese texts.
    static Choice choose(const QString &option, const QProcessEnvironment &environment);

    // Where qxwatch_<language>.qm is looked for: "translations" beside the program (the build
    // tree), then share/qxwatch/translations of the prefix the program is installed in.
    static QStringList folders(const QString &programFolder);

    // Installs the translation of choice on the application: for English the program's own
    // texts from the first of folders holding qxwatch_en.qm; for Japanese the toolkit's own
    // Japanese texts (its file dialogs). False when the file was not found: the program's
    // Japanese texts stay then, as does the toolkit's English.
    static bool install(Choice choice, const QStringList &folders);
};
