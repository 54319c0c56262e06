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

// One scale of the keyboard set and of the hand signs, as .bmp files: what
// the Make* functions write at scales 1 and 2 and ScaledArt.h serves at any.
// In the order of KeyboardBitmapsAt and the sign numbers of HandSignBitmapAt.
std::vector<QByteArray> KeyboardSet(int scale);
QByteArray HandSignPicture(int sign, int scale);
inline constexpr int kHandSignCount = 19;

// The application icon for the desktop's icon theme, made at build time and
// installed (not committed): icon-<size>.png at each of these sizes, and
// icon.svg for any other.
inline constexpr int kDesktopIconSizes[] = { 16, 22, 24, 32, 48, 64, 128, 256 };
std::vector<ArtFile> MakeDesktopIcons();

// Writes files into folder (which must exist). False and a message on the
// first file that cannot be written.
bool WriteArtFiles(const QString& folder, const std::vector<ArtFile>& files, QString* error = nullptr);

// Everything, in a fixed order.
std::vector<ArtFile> MakeAllArtwork();

// Writes every file into folder (which must exist). False and a message on
// the first file that cannot be written.
bool WriteAllArtwork(const QString& folder, QString* error = nullptr);

} // namespace artgen
