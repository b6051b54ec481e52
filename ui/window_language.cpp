#include "ui/window_language.h"

#include <QCoreApplication>
#include <QTranslator>
#include <stdexcept>

namespace zv {
namespace {

// Where the build puts the compiled English catalogue among the program's resources.
constexpr char ENGLISH_CATALOGUE[] = ":/i18n/zvmp3_en.qm";

}  // namespace

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
