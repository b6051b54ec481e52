// The window's texts that live in constant tables are the design's Japanese, marked for the
// translation catalogue with QT_TRANSLATE_NOOP and one of these contexts; they are translated
// where they are shown, so the installed translator (ui/window_language.h) decides.
#pragma once

#include <QCoreApplication>
#include <QString>

namespace zv {

inline constexpr char DIALOG_CONTEXT[] = "Dialog";    // dialog_texts.h
inline constexpr char MESSAGE_CONTEXT[] = "Message";  // messages.h and the core's messages

inline QString dialog_text(const char* text) {
    return QCoreApplication::translate(DIALOG_CONTEXT, text);
}

inline QString message_text(const char* text) {
    return QCoreApplication::translate(MESSAGE_CONTEXT, text);
}

}  // namespace zv
