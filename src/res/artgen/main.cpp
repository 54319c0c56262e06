// kelvora_artgen FOLDER: writes all of the program's artwork into FOLDER
// (normally src/res/bitmaps), replacing the files there.
#include "res/artgen/ArtGen.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: kelvora_artgen FOLDER\n");
        return 2;
    }
    if (!QDir().mkpath(args[1])) {
        std::fprintf(stderr, "kelvora_artgen: cannot make %s\n", qPrintable(args[1]));
        return 1;
    }
    QString error;
    if (!artgen::WriteAllArtwork(args[1], &error)) {
        std::fprintf(stderr, "kelvora_artgen: %s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
