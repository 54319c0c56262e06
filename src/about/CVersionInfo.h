#pragma once
// The version block of a program file (VS_VERSIONINFO, as the published
// format lays it out): its fixed information and the strings of its first
// translation. The about box reads the program's own block; start-up reads it
// for the version the program reports.
#include <QByteArray>
#include <QString>

#include <cstdint>

// The fixed part of a version block: 13 32-bit words.
struct VS_FIXEDFILEINFO {
    uint32_t dwSignature;
    uint32_t dwStrucVersion;
    uint32_t dwFileVersionMS;
    uint32_t dwFileVersionLS;
    uint32_t dwProductVersionMS;
    uint32_t dwProductVersionLS;
    uint32_t dwFileFlagsMask;
    uint32_t dwFileFlags;
    uint32_t dwFileOS;
    uint32_t dwFileType;
    uint32_t dwFileSubtype;
    uint32_t dwFileDateMS;
    uint32_t dwFileDateLS;
};
static_assert(sizeof(VS_FIXEDFILEINFO) == 52);

constexpr uint32_t VS_FFI_SIGNATURE = 0xFEEF04BD;
constexpr uint32_t VS_FF_DEBUG = 0x1;
constexpr uint32_t VS_FF_PRERELEASE = 0x2;

class CVersionInfo {
public:
    CVersionInfo();
    virtual ~CVersionInfo();

    // Loads the version block of a file or module (see ModuleResources::ResolvePath;
    // empty is this program's own file). True only when a block was read and
    // its fixed information carries the signature.
    bool Read(const QString& fileOrModule);
    // The same for a block already in memory.
    bool ReadBlock(const QByteArray& block);

    // The value of a key in the string table of the remembered translation.
    // A null pValue fails and is not touched; otherwise *pValue is cleared
    // first. False when the key is missing, empty or its node is damaged.
    bool GetString(const QString& key, QString* pValue) const;

    const VS_FIXEDFILEINFO& GetFixedFileInfo() const { return m_fixedInfo; }
    uint16_t GetLanguage() const { return m_wLanguage; }
    uint16_t GetCodePage() const { return m_wCodePage; }

    // Language and code page used when the block names no translation.
    static constexpr uint16_t kDefaultLanguage = 0x0409; // US English
    static constexpr uint16_t kDefaultCodePage = 1252;

private:
    VS_FIXEDFILEINFO m_fixedInfo;
    uint16_t m_wLanguage;
    uint16_t m_wCodePage;
    QByteArray m_block; // the whole block; empty until read
};
