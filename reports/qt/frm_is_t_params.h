#pragma once
// The report viewer: lists the map's layers that have a report of the chosen
// kind beside their data and shows the chosen one's text.

#include "host/map.h"

#include <QDialog>

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QListWidget;
class QPlainTextEdit;
class QPushButton;

namespace halvo::reports {

class frmISTParams : public QDialog {
    Q_OBJECT
public:
    explicit frmISTParams(QWidget* parent = nullptr);

    // "prm" or "met".
    void FileType(const std::string& type) { fileType_ = type; }
    // The focus map, read afresh at every activation.
    void Application(std::function<const host::Map*()> map) { map_ = std::move(map); }

    // Rebuilds the lists; closes the viewer with a message when there is nothing to show.
    void Form_Activate();

    QComboBox* layers() const { return cboSelLayers_; }
    QPlainTextEdit* text() const { return txtTParams_; }

protected:
    bool event(QEvent* e) override;

private:
    void cboSelLayers_Click(int index);

    std::string fileType_ = "prm";
    std::function<const host::Map*()> map_;
    int reportCount_ = 0;
    bool activating_ = false;

    QLabel* lblSelLayer_;
    QComboBox* cboSelLayers_;
    QListWidget* lstSelLayers_;
    QPlainTextEdit* txtTParams_;
    QPushButton* cmdClose_;
};

}  // namespace halvo::reports
