#pragma once

// DisplayFormat.h is not included: it pulls in <compare>, which this Qt's moc cannot parse.
#include <QDialog>
#include <array>
#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QPushButton;

namespace zlv {

// Chooses the display format of time stamps with a live preview, stores it in the
// configuration file and has the visible list re-rendered. Choices not saved are dropped
// when the dialog closes.
class frmPubOptions final : public QDialog
{
    Q_OBJECT

public:
    enum Button
    {
        kSave = 0,
        kDefault,
        kClose
    };

    // `refreshVisibleList` re-renders the times of the list on screen after the stored
    // format has changed.
    frmPubOptions(std::string configFile, std::function<void()> refreshVisibleList,
                  QWidget* parent = nullptr);

    QComboBox* list(int slot) const;
    QPushButton* button(int index) const;
    QLabel* preview() const { return m_preview; }
    // The unsaved choice: the six lists' texts, empty where a list has no selection.
    std::array<std::string, 6> choice() const;

    void save();
    void restoreDefaults();

private:
    void loadLists();
    void updatePreview();

    std::string m_configFile;
    std::function<void()> m_refresh;
    std::array<QComboBox*, 6> m_lists{};
    std::array<QPushButton*, 3> m_buttons{};
    QLabel* m_preview = nullptr;
};

} // namespace zlv
