#pragma once
// Kelvora's artwork generator: every picture the program ships is drawn here
// from code, so the artwork is ours, can be changed in review like any
// source, and the committed files can be checked against a fresh run.
#include <QByteArray>
#include <QString>

#include <vector>

namespace artgen {

struct ArtFile {
    QString name; // file name inside src/res/bitmaps
    QByteArray bytes;
};

std::vector<ArtFile> MakeKeyboardArt();
std::vector<ArtFile> MakeHandSignArt();
std::vector<ArtFile> MakeToolbarArt();
std::vector<ArtFile> MakeIconArt(); // application icon and the large cursor

// Everything, in a fixed order.
std::vector<ArtFile> MakeAllArtwork();

// Writes every file into folder (which must exist). False and a message on
// the first file that cannot be written.
bool WriteAllArtwork(const QString& folder, QString* error = nullptr);

} // namespace artgen
