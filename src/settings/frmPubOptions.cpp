#include "settings/frmPubOptions.h"

#include "settings/DisplayFormat.h"
#include "settings/Settings.h"
#include "utility/Clock.h"
#include "utility/FormFont.h"
#include "utility/MessageBox.h"
#include "utility/SystemUtility.h"
#include "utility/Twips.h"

#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace zlv {

namespace {

constexpr int kComboHeightTwips = 315;
constexpr const char* kSection = "DTF";

QLabel* Label(QWidget* parent, int index, const char* caption, int left, int top, bool bold = false)
{
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QStringLiteral("lbl%1").arg(index));
    label->setFont(FormFont(8.25, bold));
    label->move(Px(left), Px(top));
    label->adjustSize();
    return label;
}

struct ListLayout
{
    int label;
    const char* caption;
    int labelLeft;
    int labelTop;
    int left;
    int top;
    int width;
};
// Slot order: Sequence, Separator, Year, Month, Day, Time.
constexpr ListLayout kListLayouts[] = {
    {1, "S&equence", 90, 615, 885, 555, 1685}, {2, "Se&parator", 2660, 615, 3470, 555, 930},
    {3, "&Year", 885, 1020, 1305, 960, 1265},  {5, "&Month", 2930, 1020, 3470, 960, 930},
    {6, "D&ay", 4490, 1020, 4865, 960, 595},   {8, "&Format", 285, 1800, 885, 1740, 1685},
};

struct ButtonSpec
{
    const char* caption;
    const char* tip;
    int left;
};
constexpr ButtonSpec kButtonSpecs[] = {
    {"&Save", "Save your changes.", 2445},
    {"&Default", "Load the default settings.", 3540},
    {"C&lose", "Close this dialog box.", 4635},
};

} // namespace

frmPubOptions::frmPubOptions(std::string configFile, std::function<void()> refreshVisibleList,
                             QWidget* parent)
    : QDialog(parent), m_configFile(std::move(configFile)), m_refresh(std::move(refreshVisibleList))
{
    setObjectName(QStringLiteral("frmPubOptions"));
    setWindowTitle(QStringLiteral("Options"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(FormFont(8.25, false));

    auto* frame = new QGroupBox(QStringLiteral("Display Format"), this);
    frame->setObjectName(QStringLiteral("fra0"));
    frame->setFont(FormFont(8.25, true)); // the caption only: every child sets its own font
    frame->setGeometry(Px(90), Px(90), Px(5550), Px(2145));

    Label(frame, 0, "Date", 90, 270, true);
    Label(frame, 4, "Format", 285, 1020);
    Label(frame, 7, "Time", 90, 1455, true);
    Label(frame, 9, "Preview", 2660, 1455, true);

    const auto& entries = DisplayFormatEntries();
    for (int slot = 0; slot < 6; ++slot) {
        const ListLayout& entry = kListLayouts[slot];
        QLabel* label = Label(frame, entry.label, entry.caption, entry.labelLeft, entry.labelTop);
        auto* list = new QComboBox(frame);
        list->setObjectName(QStringLiteral("cbb%1").arg(slot));
        list->setFont(FormFont(8.25, false));
        list->setEditable(false);
        for (const std::string& entry : entries[slot]) {
            list->addItem(QString::fromStdString(entry));
        }
        list->setGeometry(Px(entry.left), Px(entry.top), Px(entry.width), Px(kComboHeightTwips));
        label->setBuddy(list);
        connect(list, &QComboBox::currentIndexChanged, this, &frmPubOptions::updatePreview);
        m_lists[slot] = list;
    }

    auto* line = new QFrame(frame);
    line->setObjectName(QStringLiteral("Line10"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(0, Px(1365) - 1, Px(5520), 2);

    m_preview = new QLabel(QStringLiteral("Feb 08 2006 23:34:23"), frame);
    m_preview->setObjectName(QStringLiteral("lblPreview"));
    m_preview->setFont(FormFont(8.25, true));
    m_preview->setGeometry(Px(2660), Px(1800), Px(1785), Px(240));

    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(kButtonSpecs[i].caption), this);
        button->setObjectName(QStringLiteral("cmb%1").arg(i));
        button->setToolTip(QString::fromUtf8(kButtonSpecs[i].tip));
        button->setGeometry(Px(kButtonSpecs[i].left), Px(2325), Px(1005), Px(360));
        m_buttons[i] = button;
    }
    connect(m_buttons[kSave], &QPushButton::clicked, this, &frmPubOptions::save);
    connect(m_buttons[kDefault], &QPushButton::clicked, this, &frmPubOptions::restoreDefaults);
    connect(m_buttons[kClose], &QPushButton::clicked, this, &QDialog::reject);

    QWidget* previous = nullptr;
    for (QWidget* w : {static_cast<QWidget*>(m_lists[0]), static_cast<QWidget*>(m_lists[1]),
                       static_cast<QWidget*>(m_lists[2]), static_cast<QWidget*>(m_lists[3]),
                       static_cast<QWidget*>(m_lists[4]), static_cast<QWidget*>(m_lists[5]),
                       static_cast<QWidget*>(m_buttons[0]), static_cast<QWidget*>(m_buttons[1]),
                       static_cast<QWidget*>(m_buttons[2])}) {
        if (previous) {
            setTabOrder(previous, w);
        }
        previous = w;
    }

    loadLists();
    // The inner area ends 90 twips below the buttons and right of the frame.
    setFixedSize(frame->x() + frame->width() + Px(kFormMarginTwips),
                 m_buttons[kSave]->y() + m_buttons[kSave]->height() + Px(kFormMarginTwips));
}

QComboBox* frmPubOptions::list(int slot) const
{
    return slot >= 0 && slot < 6 ? m_lists[slot] : nullptr;
}

QPushButton* frmPubOptions::button(int index) const
{
    return index >= 0 && index < 3 ? m_buttons[index] : nullptr;
}

std::array<std::string, 6> frmPubOptions::choice() const
{
    DisplayFormatFields fields;
    for (int slot = 0; slot < 6; ++slot) {
        fields[slot] = m_lists[slot]->currentText().toStdString();
    }
    return fields;
}

void frmPubOptions::loadLists()
{
    const DisplayFormatFields& stored = ProgramDisplayFormat();
    for (int slot = 0; slot < 6; ++slot) {
        const QSignalBlocker quiet(m_lists[slot]);
        // A hand-edited value that is no entry leaves the list without a selection.
        m_lists[slot]->setCurrentIndex(m_lists[slot]->findText(
            QString::fromStdString(stored[slot]), Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
    updatePreview();
}

void frmPubOptions::updatePreview()
{
    m_preview->setText(QString::fromStdString(
        FormatTimestamp(Clock::instance().now(), GetDisplayPattern(choice()))));
}

void frmPubOptions::save()
{
    const DisplayFormatFields chosen = choice();
    if (chosen == ProgramDisplayFormat()) {
        return;
    }
    bool written = true;
    for (int slot = 0; slot < 6; ++slot) {
        written = SystemUtility::WriteSetting(m_configFile, kSection, kDisplayFormatKeys[slot],
                                              chosen[slot]) &&
                  written;
    }
    // Read back whatever happened, so that memory and the lists on screen show what the
    // file really holds.
    LoadSettings(m_configFile);
    if (m_refresh) {
        m_refresh();
    }
    if (written) {
        MessageBox::show("Save successfully!", MessageBox::Icon::Information);
    } else {
        // Saying "saved" here would leave the user believing in a format that is gone at
        // the next start.
        MessageBox::show("Cannot save your changes to " + m_configFile +
                             ", please check that the file can be written.",
                         MessageBox::Icon::Exclamation);
    }
}

void frmPubOptions::restoreDefaults()
{
    WriteDefaultSettings(m_configFile);
    LoadSettings(m_configFile);
    loadLists();
    if (m_refresh) {
        m_refresh();
    }
}

} // namespace zlv
