// kelvora_artgen FOLDER: writes all of the program's artwork into FOLDER
// (normally src/res/bitmaps), replacing the files there.
// kelvora_artgen --desktop-icons FOLDER: writes the desktop's icons instead.
#include "res/artgen/ArtGen.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    const bool desktopIcons = args.size() == 3 && args[1] == QLatin1String("--desktop-icons");
    if (args.size() != 2 && !desktopIcons) {
        std::fprintf(stderr, "usage: kelvora_artgen [--desktop-icons] FOLDER\n");
        return 2;
    }
    const QString folder = args.last();
    if (!QDir().mkpath(folder)) {
        std::fprintf(stderr, "kelvora_artgen: cannot make %s\n", qPrintable(folder));
        return 1;
    }
    QString error;
    if (!artgen::WriteArtFiles(folder, desktopIcons ? artgen::MakeDesktopIcons() : artgen::MakeAllArtwork(),
                               &error)) {
        std::fprintf(stderr, "kelvora_artgen: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
