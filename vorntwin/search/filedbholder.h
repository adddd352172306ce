#pragma once

#include <QMutex>
#include <QString>

#include <memory>

class FileDb;

// The process's one find store, opened in memory at start-up and destroyed after the event loop.
class FileDbHolder {
public:
    // Creates the holder when missing and opens its store; returns it.
    static FileDbHolder* create();
    static FileDbHolder* get();
    static void destroy();
    // The open store, or null before create.
    static FileDb* fileDb();

    ~FileDbHolder();

private:
    FileDbHolder();

    std::unique_ptr<FileDb> m_db;
    QMutex m_mutex;
    QString m_dbFile;
    QString m_prefix;
    bool m_noMkpath = true;
    int m_serial = 0;
};
