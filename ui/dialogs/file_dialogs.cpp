#include "ui/dialogs/file_dialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QStringList>

#include <cctype>
#include <filesystem>

#include "settings/program_folders.h"
#include "ui/dialogs/dialog_host.h"
#include "ui/dialogs/dialog_texts.h"
#include "ui/dialogs/messages.h"
#include "ui/dialogs/ui_text.h"

namespace zv {
namespace {

struct Filter {
    const char* description;
    const char* patterns;  // separated by ';' as the dialogs have always listed them
};

struct FileDialogSetup {
    explicit FileDialogSetup(IniKey k) : key(k) {}
    IniKey key;
    QFileDialog::AcceptMode accept = QFileDialog::AcceptOpen;
    QFileDialog::FileMode mode = QFileDialog::ExistingFile;
    std::vector<Filter> filters;
    int selected_filter = 0;
    bool first_filter_executables = false;  // the first filter lists executable files only
    const char* default_suffix = nullptr;
    const char* title = nullptr;
};

// "Description (p1 p2)", shown without the parenthesised part; "*.*" matches every file
// here, also those without an extension.
QString qt_filter(const Filter& f) {
    QStringList patterns;
    for (const QString& p : QString::fromUtf8(f.patterns).split(QLatin1Char(';'))) {
        patterns << (p == QLatin1String("*.*")
                         ? QStringLiteral("*")
                         : QString::fromStdString(case_insensitive_pattern(p.toStdString())));
    }
    return dialog_text(f.description) + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) +
           QLatin1Char(')');
}

void remember(DialogHost& host, const IniSettings& ini, IniKey key, const std::string& value,
              QWidget* parent) {
    std::string error;
    if (!ini.write(key, value, error)) {
        host.show(parent, ini_write_failed_message(ini.file().string(), error));
    }
}

QStringList run_file_dialog(DialogHost& host, const IniSettings& ini, QWidget* parent,
                            const FileDialogSetup& setup) {
    QFileDialog dialog(parent);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(setup.accept);
    dialog.setFileMode(setup.mode);
    if (setup.title != nullptr) {
        dialog.setWindowTitle(dialog_text(setup.title));
    }
    if (setup.mode == QFileDialog::Directory) {
        dialog.setOption(QFileDialog::ShowDirsOnly);
    } else {
        QStringList filters;
        for (const Filter& f : setup.filters) {
            filters << qt_filter(f);
        }
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.value(setup.selected_filter));
        if (setup.first_filter_executables) {
            // The dialog names a filter by its description alone (the details are hidden).
            const QDir::Filters every = dialog.filter();
            const QString first = dialog_text(setup.filters.front().description);
            auto follow = [&dialog, every, first](const QString& chosen) {
                dialog.setFilter(chosen.startsWith(first) ? every | QDir::Executable : every);
            };
            follow(dialog.selectedNameFilter());
            QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, follow);
        }
    }
    if (setup.default_suffix != nullptr) {
        dialog.setDefaultSuffix(QString::fromUtf8(setup.default_suffix));
    }
    dialog.setDirectory(QString::fromStdString(initial_folder(ini.read(setup.key))));

    if (host.exec(dialog) != QDialog::Accepted) {
        return {};
    }
    QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) {
        return {};
    }
    // One file is remembered by its path; several by their folder.
    std::string value =
        files.size() == 1
            ? files.front().toStdString()
            : std::filesystem::path(files.front().toStdString()).parent_path().string();
    remember(host, ini, setup.key, value, parent);
    return files;
}

std::optional<std::string> first_of(const QStringList& files) {
    if (files.isEmpty()) {
        return std::nullopt;
    }
    return files.front().toStdString();
}

}  // namespace

std::string case_insensitive_pattern(const std::string& pattern) {
    std::string out;
    for (char c : pattern) {
        const auto u = static_cast<unsigned char>(c);
        if (std::isalpha(u) != 0) {
            out += '[';
            out += static_cast<char>(std::tolower(u));
            out += static_cast<char>(std::toupper(u));
            out += ']';
        } else {
            out += c;
        }
    }
    return out;
}

std::string initial_folder(const std::string& remembered) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path p(remembered);
    if (!remembered.empty() && fs::is_directory(p, ec)) {
        return remembered;
    }
    if (p.has_parent_path() && fs::is_directory(p.parent_path(), ec)) {
        return p.parent_path().string();
    }
    return home_folder();
}

std::vector<std::string> choose_song_files(DialogHost& host, const IniSettings& ini,
                                           QWidget* parent) {
    FileDialogSetup setup(IniKey::SoundFileDir);
    setup.mode = QFileDialog::ExistingFiles;
    setup.filters = {{FILTER_ALL_SONGS, "*.wav;*.mp3;*.flac;*.ogg;*.oga;*.opus"},
                     {FILTER_SONGS, "*.wav;*.mp3"},
                     {FILTER_ALL_FILES, "*.*"}};
    setup.default_suffix = "wav";
    std::vector<std::string> paths;
    for (const QString& f : run_file_dialog(host, ini, parent, setup)) {
        paths.push_back(f.toStdString());
    }
    return paths;
}

std::optional<std::string> choose_playlist_to_open(DialogHost& host, const IniSettings& ini,
                                                   QWidget* parent) {
    FileDialogSetup setup(IniKey::ListFileDir);
    setup.filters = {{FILTER_OPEN_PLAYLIST, "*.plt"}, {FILTER_ALL_FILES, "*.*"}};
    setup.default_suffix = "plt";
    return first_of(run_file_dialog(host, ini, parent, setup));
}

std::optional<std::string> choose_playlist_to_save(DialogHost& host, const IniSettings& ini,
                                                   QWidget* parent) {
    FileDialogSetup setup(IniKey::ListFileSaveDir);
    setup.accept = QFileDialog::AcceptSave;
    setup.mode = QFileDialog::AnyFile;
    setup.filters = {{FILTER_SAVE_PLAYLIST, "*.plt"}, {FILTER_ALL_FILES, "*.*"}};
    setup.default_suffix = "plt";
    return first_of(run_file_dialog(host, ini, parent, setup));
}

std::optional<std::string> choose_parameter_file_to_open(DialogHost& host, const IniSettings& ini,
                                                         QWidget* parent) {
    FileDialogSetup setup(IniKey::ParamFileDir);
    setup.filters = {{FILTER_OPEN_PARAMS, "*.zv3"}, {FILTER_ALL_FILES, "*.*"}};
    setup.default_suffix = "zv3";
    return first_of(run_file_dialog(host, ini, parent, setup));
}

std::optional<std::string> choose_parameter_file_to_save(DialogHost& host, const IniSettings& ini,
                                                         QWidget* parent) {
    FileDialogSetup setup(IniKey::ParamFileSaveDir);
    setup.accept = QFileDialog::AcceptSave;
    setup.mode = QFileDialog::AnyFile;
    setup.filters = {{FILTER_SAVE_PARAMS, "*.zv3"}, {FILTER_ALL_FILES, "*.*"}};
    setup.default_suffix = "zv3";
    return first_of(run_file_dialog(host, ini, parent, setup));
}

std::optional<std::string> choose_export_file(DialogHost& host, const IniSettings& ini,
                                              bool output_mp3, QWidget* parent) {
    return choose_export_file(host, ini, output_mp3 ? ExportFormat::Mp3 : ExportFormat::Wav,
                              parent);
}

std::optional<std::string> choose_export_file(DialogHost& host, const IniSettings& ini,
                                              ExportFormat format, QWidget* parent) {
    FileDialogSetup setup(IniKey::SoundFileExportDir);
    setup.accept = QFileDialog::AcceptSave;
    setup.mode = QFileDialog::AnyFile;
    switch (format) {
        case ExportFormat::Mp3:
            setup.filters = {{FILTER_EXPORT_MP3, "*.mp3"}, {FILTER_ALL_FILES_EN, "*.*"}};
            setup.default_suffix = "mp3";
            break;
        case ExportFormat::Flac:
            setup.filters = {{FILTER_EXPORT_FLAC, "*.flac"}, {FILTER_ALL_FILES_EN, "*.*"}};
            setup.default_suffix = "flac";
            break;
        case ExportFormat::Opus:
            setup.filters = {{FILTER_EXPORT_OPUS, "*.opus"}, {FILTER_ALL_FILES_EN, "*.*"}};
            setup.default_suffix = "opus";
            break;
        case ExportFormat::Wav:
            setup.filters = {{FILTER_EXPORT_WAV, "*.wav"}, {FILTER_ALL_FILES_EN, "*.*"}};
            setup.default_suffix = "wav";
            break;
    }
    return first_of(run_file_dialog(host, ini, parent, setup));
}

std::optional<std::string> choose_encoder_program(DialogHost& host, const IniSettings& ini,
                                                  QWidget* parent) {
    FileDialogSetup setup(IniKey::EncToolDir);
    // Programs on Linux carry no extension: the first filter shows the files that may be run,
    // the second every file, and nothing is ever appended to a typed name.
    setup.filters = {{FILTER_ENCODER, "*.*"}, {FILTER_ALL_FILES, "*.*"}};
    setup.first_filter_executables = true;
    return first_of(run_file_dialog(host, ini, parent, setup));
}

std::optional<std::string> browse_for_folder(DialogHost& host, const IniSettings& ini,
                                             QWidget* parent, const char* title) {
    FileDialogSetup setup(IniKey::SelectFolderPath);
    setup.mode = QFileDialog::Directory;
    setup.title = title;
    return first_of(run_file_dialog(host, ini, parent, setup));
}

}  // namespace zv
