#pragma once
// Lunaveil in the user's language.

class QCoreApplication;

namespace lunaveil {

// Installs Lunaveil's translation for the language of the user's locale (LANGUAGE, LC_ALL,
// LC_MESSAGES and LANG, as QLocale reads them), and Qt's own for its standard dialogs where the
// system has it. Without a translation for the language the texts stay English.
void installTranslations(QCoreApplication& application);

}  // namespace lunaveil
