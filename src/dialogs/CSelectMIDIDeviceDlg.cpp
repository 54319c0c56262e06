#include "dialogs/CSelectMIDIDeviceDlg.h"

#include "midi/MIDICaps.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>

#include <algorithm>

namespace {

template <class Caps>
QString Describe(uint32_t id, bool bSigned)
{
    Caps caps(id);
    if (caps.Query() != MMSYSERR_NOERROR || id == MIDI_NO_DEVICE)
        return {};
    QString maker;
    caps.GetManufacturerName(maker);
    const QByteArray makerUtf8 = maker.toUtf8();
    const QByteArray nameUtf8 = caps.szPname.toUtf8();
    const unsigned mid = caps.wMid;
    const unsigned pid = caps.wPid;
    if (bSigned) {
        return QString::asprintf("%d\n\n%s\n%s\n%u\n%u", static_cast<int>(id),
                                 makerUtf8.constData(), nameUtf8.constData(), mid, pid);
    }
    return QString::asprintf("%u\n\n%s\n%s\n%u\n%u", static_cast<unsigned>(id),
                             makerUtf8.constData(), nameUtf8.constData(), mid, pid);
}

template <class Caps>
QString EntryText(uint32_t id)
{
    Caps caps(id);
    const MMRESULT result = caps.Query();
    if (result == MMSYSERR_NODRIVER)
        return QStringLiteral("[ Invalid Driver ]");
    return result == MMSYSERR_NOERROR ? caps.szPname : QString();
}

} // namespace

QString CSelectMIDIDeviceDlg::DeviceEntryText(bool bOutput, uint32_t id)
{
    return bOutput ? EntryText<CMIDIOutCaps>(id) : EntryText<CMIDIInCaps>(id);
}

QString CSelectMIDIDeviceDlg::DescribeDevice(bool bOutput, uint32_t id, bool bSigned)
{
    return bOutput ? Describe<CMIDIOutCaps>(id, bSigned) : Describe<CMIDIInCaps>(id, bSigned);
}

CSelectMIDIDeviceDlg::CSelectMIDIDeviceDlg(unsigned nIDTemplate, const QString& caption,
                                           int cxDlu, int cyDlu, bool bOutput, QWidget* parent)
    : CDialog(nIDTemplate, caption, cxDlu, cyDlu, parent), m_bOutput(bOutput), m_cxBase(width())
{
}

void CSelectMIDIDeviceDlg::CreateDeviceControls(int yList, int labelsId, const QString& labels)
{
    m_ctlDeviceList = new QComboBox(this);
    AddControl(m_ctlDeviceList, IDC_DEVICE_LIST, 7, yList, 174, 12);
    connect(m_ctlDeviceList, &QComboBox::currentIndexChanged, this,
            [this] { OnSelChangeDeviceList(); });

    // The description's six lines stand beside the six lines of the labels.
    auto* labelsCtl = new QLabel(labels, this);
    labelsCtl->setTextFormat(Qt::PlainText);
    labelsCtl->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    AddControl(labelsCtl, labelsId, 7, yList + 20, 68, 56);

    m_ctlDescription = new QLabel(this);
    m_ctlDescription->setTextFormat(Qt::PlainText);
    m_ctlDescription->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    AddControl(m_ctlDescription, IDC_DESCRIPTION, 77, yList + 20, 104, 56);
}

void CSelectMIDIDeviceDlg::FillDeviceList()
{
    const QSignalBlocker blocker(m_ctlDeviceList);
    m_ctlDeviceList->clear();
    auto& backend = MidiSystem::Backend();
    const unsigned count = m_bOutput ? backend.OutputCount() : backend.InputCount();
    // The entry's index is the device index, invalid drivers included.
    for (unsigned id = 0; id < count; ++id)
        m_ctlDeviceList->addItem(DeviceEntryText(m_bOutput, id));
    m_ctlDeviceList->addItem(QString());
    m_ctlDeviceList->setCurrentIndex(-1);
}

int CSelectMIDIDeviceDlg::DeviceCount() const
{
    return std::max(0, m_ctlDeviceList->count() - 1);
}

uint32_t CSelectMIDIDeviceDlg::SelectedIndex() const
{
    const int index = m_ctlDeviceList->currentIndex();
    return index < 0 ? MIDI_NO_DEVICE : static_cast<uint32_t>(index);
}

void CSelectMIDIDeviceDlg::SelectInitialEntry(uint32_t id)
{
    const bool listed = id != MIDI_NO_DEVICE && id < static_cast<uint32_t>(DeviceCount());
    m_ctlDeviceList->setCurrentIndex(listed ? static_cast<int>(id) : 0);
}

void CSelectMIDIDeviceDlg::FitDescriptions(std::initializer_list<uint32_t> extraIds)
{
    if (m_rcList.isNull()) {
        m_rcList = m_ctlDeviceList->geometry();
        m_rcDescription = m_ctlDescription->geometry();
        m_rcOK = m_pOKButton->geometry();
        m_rcCancel = m_pCancelButton->geometry();
    }
    const QFontMetrics fm(m_ctlDescription->font());
    int widest = 0;
    auto measure = [&](const QString& text) {
        for (const QString& line : text.split(u'\n'))
            widest = std::max(widest, fm.horizontalAdvance(line));
    };
    for (int id = 0; id < DeviceCount(); ++id)
        measure(DescribeDevice(m_bOutput, static_cast<uint32_t>(id), !m_bOutput));
    for (uint32_t id : extraIds)
        measure(DescribeDevice(m_bOutput, id, true));

    int extra = std::max(0, widest + fm.averageCharWidth() - m_rcDescription.width());
    // Never wider than the screen: a name longer than that is cut at the edge.
    if (const QScreen* s = screen())
        extra = std::min(extra, std::max(0, s->availableGeometry().width() - m_cxBase));
    ApplyExtraWidth(extra);

    // The open list shows whole names too.
    int widestEntry = 0;
    const QFontMetrics lfm(m_ctlDeviceList->font());
    for (int i = 0; i < m_ctlDeviceList->count(); ++i)
        widestEntry = std::max(widestEntry, lfm.horizontalAdvance(m_ctlDeviceList->itemText(i)));
    m_ctlDeviceList->view()->setMinimumWidth(widestEntry + 4 * lfm.averageCharWidth());
}

void CSelectMIDIDeviceDlg::ApplyExtraWidth(int extra)
{
    setFixedWidth(m_cxBase + extra);
    m_ctlDeviceList->setGeometry(m_rcList.adjusted(0, 0, extra, 0));
    m_ctlDescription->setGeometry(m_rcDescription.adjusted(0, 0, extra, 0));
    m_pOKButton->setGeometry(m_rcOK.translated(extra, 0));
    m_pCancelButton->setGeometry(m_rcCancel.translated(extra, 0));
}
