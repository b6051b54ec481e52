// The language of the window. Its texts are written in Japanese, as the program has always
// shown them; under any other locale a translator from the English catalogue (ui/i18n),
// compiled into the program, turns them into English. The locale rule is the command-line
// program's (text/language.h), so both speak the same language; a setting in the INI file
// can fix the language whatever the locale says.
#pragma once

#include <QString>
#include <memory>

#include "text/language.h"

class QCoreApplication;
class QTranslator;

namespace zv {

enum class LanguageChoice { Automatic, English, Japanese };

// The language the window speaks for a choice: Automatic follows the locale.
Language window_language(LanguageChoice choice);

// The English catalogue's translator, or nothing for Japanese (the texts' own language).
// Throws std::runtime_error when the catalogue is missing from the program's resources.
std::unique_ptr<QTranslator> window_translator(Language language);

// Installs the translator of `language` on the application, replacing the one installed
// before through `installed` (which owns it); with Japanese none is installed.
void apply_window_language(QCoreApplication& app, Language language,
                           std::unique_ptr<QTranslator>& installed);

}  // namespace zv
