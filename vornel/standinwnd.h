#pragma once

#include <QMainWindow>
#include <QPointer>

class QLabel;

// The photo manager's main window until the manager and viewer windows take its place.
class StandInWnd : public QMainWindow {
    Q_OBJECT
public:
    // The one window, made (not shown) when there is none; closing deletes it.
    static StandInWnd* instance();
    static StandInWnd* current();

    void openFile(const QString& path);
    QString filePath() const { return m_file; }

private:
    StandInWnd();

    static QPointer<StandInWnd> ms_instance;
    QLabel* m_label = nullptr;
    QString m_file;
};
