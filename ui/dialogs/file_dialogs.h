// The file and folder dialogs of the window. Each reads its INI key just before it opens (the
// last file or folder chosen there, the home folder by default) and writes the key only when
// the user ends the dialog with OK. Save dialogs ask before replacing a file. The dialogs are
// Qt's own (non-native), shown through the DialogHost.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "settings/ini_settings.h"

class QFileDialog;
class QWidget;

namespace zv {

class DialogHost;

// Open WAV/MP3 files (several at once), key SoundFileDir: the chosen file's path, or the
// folder when several files were chosen. Empty when cancelled.
std::vector<std::string> choose_song_files(DialogHost& host, const IniSettings& ini,
                                           QWidget* parent);

std::optional<std::string> choose_playlist_to_open(DialogHost& host, const IniSettings& ini,
                                                   QWidget* parent);  // ListFileDir
std::optional<std::string> choose_playlist_to_save(DialogHost& host, const IniSettings& ini,
                                                   QWidget* parent);  // ListFileSaveDir
std::optional<std::string> choose_parameter_file_to_open(DialogHost& host, const IniSettings& ini,
                                                         QWidget* parent);  // ParamFileDir
std::optional<std::string> choose_parameter_file_to_save(DialogHost& host, const IniSettings& ini,
                                                         QWidget* parent);  // ParamFileSaveDir
// The target of Export a song, ".mp3" or ".wav" by the output mode; SoundFileExportDir.
std::optional<std::string> choose_export_file(DialogHost& host, const IniSettings& ini,
                                              bool output_mp3, QWidget* parent);
// The same for any format: ".wav", ".mp3", ".flac" or ".opus".
std::optional<std::string> choose_export_file(DialogHost& host, const IniSettings& ini,
                                              ExportFormat format, QWidget* parent);
// The external encoder program; EncToolDir.
std::optional<std::string> choose_encoder_program(DialogHost& host, const IniSettings& ini,
                                                  QWidget* parent);
// A folder, starting at the one chosen last; SelectFolderPath. Export All titles it
// "出力フォルダを選択" (SELECT_FOLDER_TITLE).
std::optional<std::string> browse_for_folder(DialogHost& host, const IniSettings& ini,
                                             QWidget* parent, const char* title);

// The folder a dialog opens in for a key's value: the value itself when it is a folder, else
// the folder of the file it names, else the home folder.
std::string initial_folder(const std::string& remembered);

// A filter pattern that ignores case ("*.wav" -> "*.[wW][aA][vV]"): extension tests of the
// program ignore case, and the file names of a Linux disk keep theirs.
std::string case_insensitive_pattern(const std::string& pattern);

}  // namespace zv
