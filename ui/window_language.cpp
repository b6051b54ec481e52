#include "ui/window_language.h"

#include <QCoreApplication>
#include <QTranslator>
#include <stdexcept>

#include "ui/command_ids.h"

namespace zv {
namespace {

// Where the build puts the compiled English catalogue among the program's resources.
constexpr char ENGLISH_CATALOGUE[] = ":/i18n/zvmp3_en.qm";

struct ChoiceName {
    LanguageChoice choice;
    const char* text;
    int command;
};
constexpr ChoiceName CHOICES[] = {
    {LanguageChoice::Automatic, "Automatic", cmd::LANGUAGE_AUTOMATIC},
    {LanguageChoice::English, "English", cmd::LANGUAGE_ENGLISH},
    {LanguageChoice::Japanese, "Japanese", cmd::LANGUAGE_JAPANESE},
};

}  // namespace

LanguageChoice language_choice_from_text(std::string_view text) {
    for (const ChoiceName& c : CHOICES) {
        if (text == c.text) {
            return c.choice;
        }
    }
    return LanguageChoice::Automatic;
}

const char* language_choice_text(LanguageChoice choice) {
    for (const ChoiceName& c : CHOICES) {
        if (c.choice == choice) {
            return c.text;
        }
    }
    return CHOICES[0].text;
}

int language_command(LanguageChoice choice) {
    for (const ChoiceName& c : CHOICES) {
        if (c.choice == choice) {
            return c.command;
        }
    }
    return CHOICES[0].command;
}

std::optional<LanguageChoice> language_choice_of_command(int command) {
    for (const ChoiceName& c : CHOICES) {
        if (c.command == command) {
            return c.choice;
        }
    }
    return std::nullopt;
}

Language window_language(LanguageChoice choice) {
    switch (choice) {
        case LanguageChoice::English:
            return Language::English;
        case LanguageChoice::Japanese:
            return Language::Japanese;
        case LanguageChoice::Automatic:
            break;
    }
    return language_from_environment();
}

std::unique_ptr<QTranslator> window_translator(Language language) {
    if (language == Language::Japanese) {
        return nullptr;
    }
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QString::fromLatin1(ENGLISH_CATALOGUE))) {
        throw std::runtime_error("the English text catalogue is missing from the program");
    }
    return translator;
}

void apply_window_language(QCoreApplication& app, Language language,
                           std::unique_ptr<QTranslator>& installed) {
    std::unique_ptr<QTranslator> next = window_translator(language);
    if (installed != nullptr) {
        QCoreApplication::removeTranslator(installed.get());
    }
    installed = std::move(next);
    if (installed != nullptr) {
        app.installTranslator(installed.get());
    }
}

}  // namespace zv
