#include "view/CHandSignPane.h"

#include "gfx/ArtworkResources.h"
#include "res/ResourceIds.h"
#include "view/HandSigns.h"
#include "view/IKeyPaneHost.h"

namespace {

// The pictures' size at the normal scale, twice that maximised; used when the
// blank picture could not be loaded, so the control keeps its place.
constexpr QSize kNominalSignSize(280, 240);

} // namespace

CHandSignPane::CHandSignPane(IKeyPaneHost& host, QWidget* parent)
    : QLabel(parent)
    , m_Host(host)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAlignment(Qt::AlignCenter);
    setFixedSize(kNominalSignSize + QSize(2 * frameWidth(), 2 * frameWidth()));
    m_LargeSignTimer.setObjectName(QString::number(ID_TIMER_LARGE_HANDSIGNS));
    m_LargeSignTimer.setSingleShot(true); // killed when it fires
    m_LargeSignTimer.setInterval(kLargeSignDelayMs);
    connect(&m_LargeSignTimer, &QTimer::timeout, this, &CHandSignPane::LoadLargeSigns);
}

void CHandSignPane::LoadHolder(int holder, bool large)
{
    EnsureArtworkResources();
    const bool ok = m_HandSigns[size_t(holder)].LoadBitmap(HandSignBitmapId(holder, large));
    m_Held[size_t(holder)] = !ok ? Held::None : large ? Held::Large : Held::Normal;
}

void CHandSignPane::LoadHandSigns(bool maximised)
{
    m_bLarge = maximised;
    const Held wanted = maximised ? Held::Large : Held::Normal;
    // The frame lays the panes out several times per resize: what is already
    // held at this size stays.
    if (m_Held[kBlankHandSign] != wanted)
        LoadHolder(kBlankHandSign, maximised);
    bool signsMissing = false;
    for (int h = 1; h < kHandSignHolders; ++h)
        signsMissing = signsMissing || m_Held[size_t(h)] != wanted;
    if (maximised) {
        if (signsMissing)
            m_LargeSignTimer.start();
    } else {
        // A pending large set would land in a pane that is normal size again.
        m_LargeSignTimer.stop();
        for (int h = 1; h < kHandSignHolders; ++h)
            if (m_Held[size_t(h)] != wanted)
                LoadHolder(h, false);
    }

    QSize size = m_HandSigns[kBlankHandSign].GetSize();
    if (size.isEmpty())
        size = kNominalSignSize * (maximised ? 2 : 1);
    setFixedSize(size + QSize(2 * frameWidth(), 2 * frameWidth()));
    setPixmap(m_HandSigns[kBlankHandSign].GetBitmapHandle());
}

void CHandSignPane::LoadLargeSigns()
{
    if (!m_bLarge)
        return;
    for (int h = 1; h < kHandSignHolders; ++h)
        if (m_Held[size_t(h)] != Held::Large)
            LoadHolder(h, true);
}

QPixmap CHandSignPane::GetHandSignBitmap(int degree)
{
    const int holder = HandSignHolderIndex(degree);
    if (holder < 0)
        return QPixmap();
    // A sign played before the deferred large set has arrived.
    if (m_bLarge && m_Held[size_t(holder)] != Held::Large)
        LoadHolder(holder, true);
    return m_HandSigns[size_t(holder)].GetBitmapHandle();
}

void CHandSignPane::ShowHandSignMessage(uint32_t packedMsg)
{
    const NoteEvent e = ReadNoteEvent(packedMsg);
    if (!e.isNote)
        return;
    m_Host.TrackKeySlot(packedMsg);
    const int highestHeld = GetHighestHeldKey(m_Host.KeyStates());
    QPixmap picture;
    if (e.on)
        picture = GetHandSignBitmap(m_Host.ToDisplayNote(e.note) - kFirstDisplayNote);
    // A black key, a note outside the octave or a missing picture: the
    // highest key still held speaks for the chord (blank when none is).
    if (picture.isNull())
        picture = GetHandSignBitmap(highestHeld);
    if (picture.isNull())
        clear();
    else
        setPixmap(picture);
}
