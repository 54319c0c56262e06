#include "res/artgen/ArtGen.h"

#include "res/artgen/ImageFiles.h"

#include <QDir>

namespace artgen {

std::vector<ArtFile> MakeAllArtwork()
{
    std::vector<ArtFile> all;
    for (auto make : { MakeKeyboardArt, MakeHandSignArt, MakeToolbarArt, MakeIconArt }) {
        std::vector<ArtFile> part = make();
        all.insert(all.end(), std::make_move_iterator(part.begin()), std::make_move_iterator(part.end()));
    }
    return all;
}

bool WriteAllArtwork(const QString& folder, QString* error)
{
    return WriteArtFiles(folder, MakeAllArtwork(), error);
}

bool WriteArtFiles(const QString& folder, const std::vector<ArtFile>& files, QString* error)
{
    const QDir dir(folder);
    for (const ArtFile& file : files) {
        if (!WriteBytes(dir.filePath(file.name), file.bytes)) {
            if (error)
                *error = QStringLiteral("cannot write %1").arg(dir.filePath(file.name));
            return false;
        }
    }
    return true;
}

} // namespace artgen
