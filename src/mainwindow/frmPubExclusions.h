#pragma once

#include "settings/Exclusions.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QListWidget;
class QPushButton;

namespace zlv {

// "Folders Not Recorded": the folders the user excluded, with a folder chooser to add one
// and a button to remove the selected one, and the switch for what Git ignores. Save stores
// the list in the configuration file and hands it on; Close drops what was not saved.
class frmPubExclusions final : public QDialog
{
    Q_OBJECT

public:
    // Asks the user for a folder; empty when they chose none.
    using FolderChooser = std::function<QString(QWidget* parent)>;
    // Takes the saved exclusions into effect.
    using Apply = std::function<void(const Exclusions&)>;

    frmPubExclusions(std::string configFile, Apply apply, QWidget* parent = nullptr);

    // The chooser a test scripts instead of the system's folder dialog.
    void setFolderChooser(FolderChooser chooser) { m_choose = std::move(chooser); }

    QListWidget* folderList() const { return m_list; }
    QPushButton* addButton() const { return m_add; }
    QPushButton* removeButton() const { return m_remove; }
    QPushButton* saveButton() const { return m_save; }
    QCheckBox* gitSwitch() const { return m_git; }

    void addFolder();
    void removeFolder();
    // Stores and applies what the dialog shows; closes it when that worked.
    void save();

    // The system's folder dialog, starting at the user's home.
    static QString ChooseWithSystemDialog(QWidget* parent);

private:
    Exclusions shown() const;

    std::string m_configFile;
    Apply m_apply;
    FolderChooser m_choose = &frmPubExclusions::ChooseWithSystemDialog;
    QListWidget* m_list = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_remove = nullptr;
    QCheckBox* m_git = nullptr;
    QPushButton* m_save = nullptr;
};

} // namespace zlv
