// The language of the window. Its texts are written in Japanese, as the program has always
// shown them; under any other locale a translator from the English catalogue (ui/i18n),
// compiled into the program, turns them into English. The locale rule is the command-line
// program's (text/language.h), so both speak the same language; a setting in the INI file
// can fix the language whatever the locale says.
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <string_view>

#include "text/language.h"

class QCoreApplication;
class QTranslator;

namespace zv {

enum class LanguageChoice { Automatic, English, Japanese };

// The choice as the INI file keeps it ("Automatic", "English", "Japanese"); anything else,
// an empty text included, is Automatic.
LanguageChoice language_choice_from_text(std::string_view text);
const char* language_choice_text(LanguageChoice choice);

// The menu command that picks a choice, and back (nullopt for other commands).
int language_command(LanguageChoice choice);
std::optional<LanguageChoice> language_choice_of_command(int command);

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
