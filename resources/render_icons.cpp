// zv_render_icons: writes the program's icon as PNG files for installation, drawn by the same
// code as the window's icon. Runs at build time without a display.
//
//   zv_render_icons OUTDIR SIZE...   ->   OUTDIR/zvmp3-SIZE.png for each size
#include "ui/skin_art.h"

#include <QDir>
#include <QSaveFile>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: zv_render_icons OUTDIR SIZE...\n");
        return 2;
    }
    // Every size is checked before anything is written.
    std::vector<int> sizes;
    for (int i = 2; i < argc; ++i) {
        char* end = nullptr;
        long size = std::strtol(argv[i], &end, 10);
        if (*end != '\0' || size < 16 || size > 1024) {
            std::fprintf(stderr, "zv_render_icons: bad size %s (16..1024)\n", argv[i]);
            return 2;
        }
        sizes.push_back(static_cast<int>(size));
    }
    const QString dir = QString::fromLocal8Bit(argv[1]);
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "zv_render_icons: cannot create %s\n", argv[1]);
        return 1;
    }
    for (int size : sizes) {
        const QString path = dir + QStringLiteral("/zvmp3-%1.png").arg(size);
        // Written beside the target and renamed into place, so a failed run leaves no
        // half-written icon for the install step.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly) ||
            !zv::skin::window_icon_image(size).save(&file, "PNG") || !file.commit()) {
            std::fprintf(stderr, "zv_render_icons: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
