#pragma once

#include <QFileSystemModel>
#include <QFuture>
#include <QHash>
#include <QList>
#include <QStringList>

#include <atomic>
#include <memory>

// The folders of the computer for the folder tree: one name column, folders only. Whether a folder has
// subfolders is found out on the global pool, so that only folders with subfolders get an expand arrow
// without any folder being scanned on the GUI thread.
class FileTreeModel : public QFileSystemModel {
    Q_OBJECT
public:
    explicit FileTreeModel(QObject* parent = nullptr);
    ~FileTreeModel() override;

    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
    // An in-place rename; a refused one is announced by renameFailed (the old name stays).
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Forgets what is known of the folder and lists it and its parent again, so that folders made or removed
    // outside the program show up or go.
    void refreshFolder(const QString& path);
    // True while subfolder probes are queued or running.
    bool isProbing() const;

signals:
    void renameFailed(QString strPath, QString strNewName);
    void probed(QString strPath, bool hasSubfolder, QPrivateSignal);

public slots:
    void slot_directory_loaded(QString strPath);

private:
    enum SubState : char { NoSub, HasSub, Probing };
    void startProbes() const;
    void onProbed(const QString& path, bool hasSub);
    void announce(const QString& path);

    mutable QHash<QString, SubState> m_subs;
    mutable QStringList m_queue;
    mutable bool m_probeScheduled = false;
    mutable QList<QFuture<void>> m_probes;
    std::shared_ptr<std::atomic_bool> m_stop;
};
