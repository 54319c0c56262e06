#include "view/CHandSignPane.h"

#include "gfx/ArtworkResources.h"
#include "res/ResourceIds.h"
#include "res/artgen/ScaledArt.h"
#include "view/IKeyPaneHost.h"
#include "view/Solfege.h"

namespace {

// The pictures' size at the normal scale; used when the blank picture could
// not be loaded, so the control keeps its place.
constexpr QSize kNominalSignSize(280, 240);

} // namespace

CHandSignPane::CHandSignPane(IKeyPaneHost& host, const CSolfege& solfege, QWidget* parent)
    : QLabel(parent)
    , m_Host(host)
    , m_Solfege(solfege)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAlignment(Qt::AlignCenter);
    setFixedSize(kNominalSignSize + QSize(2 * frameWidth(), 2 * frameWidth()));
    m_LargeSignTimer.setObjectName(QString::number(ID_TIMER_LARGE_HANDSIGNS));
    m_LargeSignTimer.setSingleShot(true); // killed when it fires
    connect(&m_LargeSignTimer, &QTimer::timeout, this, &CHandSignPane::LoadDeferredSigns);
}

void CHandSignPane::LoadHolder(int sign)
{
    CDibPicture& picture = m_HandSigns[size_t(sign)];
    // Above twice the size the pictures are drawn for the scale; when that
    // cannot be done the maximised files still show something.
    const QByteArray drawn =
        m_nScale > 2 ? artgen::HandSignBitmapAt(sign, m_nScale) : QByteArray();
    if (drawn.isEmpty() || !picture.LoadBitmap(drawn)) {
        EnsureArtworkResources();
        picture.LoadBitmap(HandSignBitmapId(sign, m_nScale >= 2));
    }
    m_LoadedScale[size_t(sign)] = m_nScale;
}

void CHandSignPane::LoadHandSigns(int scale)
{
    m_nScale = qBound(1, scale, artgen::kMaxArtScale);
    // The frame lays the panes out several times per resize: what is already
    // held at this scale stays.
    if (m_LoadedScale[kSignBlank] != m_nScale)
        LoadHolder(kSignBlank);
    bool signsMissing = false;
    for (int s = kSignBlank + 1; s < kHandSignHolders; ++s)
        signsMissing = signsMissing || m_LoadedScale[size_t(s)] != m_nScale;
    if (m_nScale == 1) {
        // A pending large set would land in a pane that is normal size again.
        m_LargeSignTimer.stop();
        for (int s = kSignBlank + 1; s < kHandSignHolders; ++s)
            if (m_LoadedScale[size_t(s)] != m_nScale)
                LoadHolder(s);
    } else if (signsMissing) {
        m_LargeSignTimer.start(kLargeSignDelayMs);
    }

    QSize size = m_HandSigns[kSignBlank].GetSize();
    if (size.isEmpty())
        size = kNominalSignSize * m_nScale;
    setFixedSize(size + QSize(2 * frameWidth(), 2 * frameWidth()));
    setPixmap(m_HandSigns[kSignBlank].GetBitmapHandle());
}

void CHandSignPane::LoadDeferredSigns()
{
    // One picture per turn of the event loop: at the largest scales drawing
    // the whole set takes seconds, and the lesson goes on meanwhile (a sign
    // played in between is loaded on the spot).
    for (int s = kSignBlank + 1; s < kHandSignHolders; ++s)
        if (m_LoadedScale[size_t(s)] != m_nScale) {
            LoadHolder(s);
            m_LargeSignTimer.start(0);
            return;
        }
}

QPixmap CHandSignPane::GetHandSignBitmap(int sign)
{
    if (sign < 0 || sign >= kHandSignHolders)
        return QPixmap();
    // A sign played before the deferred set has arrived.
    if (m_LoadedScale[size_t(sign)] != m_nScale)
        LoadHolder(sign);
    return m_HandSigns[size_t(sign)].GetBitmapHandle();
}

void CHandSignPane::ShowHandSignMessage(uint32_t packedMsg)
{
    const NoteEvent e = ReadNoteEvent(packedMsg);
    if (!e.isNote)
        return;
    m_Host.TrackKeySlot(packedMsg);
    QPixmap picture;
    if (e.on)
        picture = GetHandSignBitmap(m_Solfege.SignOf(m_Host.ToDisplayNote(e.note)));
    // A note without a sign (outside the octave, chromatic with those signs
    // off, or its picture missing): the highest key still held speaks for
    // the chord.
    if (picture.isNull()) {
        const int held = GetHighestHeldKey(m_Host.KeyStates());
        picture = GetHandSignBitmap(held < 0 ? kSignBlank
                                             : m_Solfege.SignOf(kFirstDisplayNote + held));
    }
    // Still nothing: a sounding note never leaves the pane bare while the
    // blank picture is there.
    if (picture.isNull())
        picture = GetHandSignBitmap(kSignBlank);
    if (picture.isNull())
        clear();
    else
        setPixmap(picture);
}
