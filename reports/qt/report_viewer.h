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

class ReportViewer : public QDialog {
    Q_OBJECT
public:
    explicit ReportViewer(QWidget* parent = nullptr);

    // "prm" or "met".
    void setFileType(const std::string& type) { fileType_ = type; }
    // The focus map, read afresh at every activation.
    void setMap(std::function<const host::Map*()> map) { map_ = std::move(map); }

    // Rebuilds the lists; closes the viewer with a message when there is nothing to show.
    void refresh();

    QComboBox* layers() const { return layerList_; }
    QPlainTextEdit* text() const { return text_; }

protected:
    bool event(QEvent* e) override;

private:
    void showReport(int index);

    std::string fileType_ = "prm";
    std::function<const host::Map*()> map_;
    int reportCount_ = 0;
    bool activating_ = false;

    QLabel* label_;
    QComboBox* layerList_;
    QListWidget* folderList_;
    QPlainTextEdit* text_;
    QPushButton* closeButton_;
};

}  // namespace halvo::reports
