#include "settings/frmPubOptions.h"

#include "settings/DisplayFormat.h"
#include "settings/OptionsChoice.h"
#include "utility/Clock.h"
#include "utility/FormFont.h"
#include "utility/FormLayout.h"
#include "utility/Twips.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

namespace zlv {

namespace {

constexpr int kComboHeightTwips = 315;
constexpr int kLabelHeightTwips = 195;
// The frame's inner right edge, which a label alone on its row may reach.
constexpr int kFrameRoomTwips = 5550 - 90;

QLabel* Label(QWidget* parent, int index, const char* caption, bool bold = false)
{
    auto* label = new QLabel(QString::fromUtf8(caption), parent);
    label->setObjectName(QStringLiteral("lbl%1").arg(index));
    label->setFont(FormFont(kDesignPoints, bold));
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
// Slot order: Sequence, Separator, Year, Month, Day, Time. Each label reaches up to its
// list.
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
    setWindowFlags(kFixedDialogFlags);
    setFont(FormFont());
    FormLayout form;

    auto* frame = new QGroupBox(QStringLiteral("Display Format"), this);
    frame->setObjectName(QStringLiteral("fra0"));
    frame->setFont(
        FormFont(kDesignPoints, true)); // the caption only: every child sets its own font
    form.place(frame, 90, 90, 5550, 2145);

    form.placeSizedToText(Label(frame, 0, "Date", true), 90, 270, kFrameRoomTwips,
                          kLabelHeightTwips);
    form.placeSizedToText(Label(frame, 4, "Format"), 285, 1020, 885, kLabelHeightTwips);
    form.placeSizedToText(Label(frame, 7, "Time", true), 90, 1455, 2660, kLabelHeightTwips);
    form.placeSizedToText(Label(frame, 9, "Preview", true), 2660, 1455, kFrameRoomTwips,
                          kLabelHeightTwips);

    const auto& entries = DisplayFormatEntries();
    for (int slot = 0; slot < 6; ++slot) {
        const ListLayout& layout = kListLayouts[slot];
        QLabel* label = Label(frame, layout.label, layout.caption);
        form.placeSizedToText(label, layout.labelLeft, layout.labelTop, layout.left,
                              kLabelHeightTwips);
        auto* list = new QComboBox(frame);
        list->setObjectName(QStringLiteral("cbb%1").arg(slot));
        list->setFont(FormFont());
        list->setEditable(false);
        for (const std::string& entry : entries[slot]) {
            list->addItem(QString::fromStdString(entry));
        }
        form.place(list, layout.left, layout.top, layout.width, kComboHeightTwips);
        label->setBuddy(list);
        // Its drop-down part is a list of its own to a screen reader, named as its label.
        list->view()->setAccessibleName(label->text().remove(QLatin1Char('&')));
        connect(list, &QComboBox::currentIndexChanged, this, &frmPubOptions::updatePreview);
        // Choosing the entry already shown changes no index, yet the preview shows the
        // time of that moment.
        connect(list, &QComboBox::activated, this, &frmPubOptions::updatePreview);
        m_lists[slot] = list;
    }

    m_preview = new QLabel(frame);
    m_preview->setObjectName(QStringLiteral("lblPreview"));
    m_preview->setFont(FormFont(kDesignPoints, true));
    // Laid out for the widest text it can show; even the design's 1785 twips cannot hold
    // the forms with "AM"/"PM", so it may reach the frame's edge.
    const QFontMetrics metrics = m_preview->fontMetrics();
    m_preview->setText(QString::fromStdString(options::WidestPreview([&](const std::string& text) {
        return metrics.horizontalAdvance(QString::fromStdString(text));
    })));
    form.placeSizedToText(m_preview, 2660, 1800, kFrameRoomTwips, kLabelHeightTwips);

    for (int i = 0; i < 3; ++i) {
        auto* button = new QPushButton(QString::fromUtf8(kButtonSpecs[i].caption), this);
        button->setObjectName(QStringLiteral("cmb%1").arg(i));
        button->setToolTip(QString::fromUtf8(kButtonSpecs[i].tip));
        // No default button: Enter in a list must not save. Only a click or an access key
        // presses a button.
        button->setAutoDefault(false);
        form.place(button, kButtonSpecs[i].left, 2325, 1005, 360);
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

    form.apply();
    // The frame's line, from its left edge to 30 twips short of its right one.
    auto* line = new QFrame(frame);
    line->setObjectName(QStringLiteral("Line10"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    line->setGeometry(0, form.y(90 + 1365) - form.y(90) - 1, form.x(90 + 5520) - form.x(90), 2);

    loadLists();
    // The same margin below the buttons and beside the frame, so the form looks balanced
    // whatever the font made of its height.
    setFixedSize(form.x(90 + 5550 + kFormMarginTwips), form.y(2325 + 360 + kFormMarginTwips));
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
    m_preview->setText(QString::fromStdString(options::Preview(choice(), Clock::instance().now())));
}

void frmPubOptions::save()
{
    options::SaveAndTell(m_configFile, choice(), m_refresh);
}

void frmPubOptions::restoreDefaults()
{
    options::RestoreDefaults(m_configFile);
    loadLists();
    if (m_refresh) {
        m_refresh();
    }
}

} // namespace zlv
