#pragma once

#include "grid/iteminfo.h"

#include <QList>
#include <QObject>
#include <QStringList>

#include <deque>
#include <functional>

// Applies the tag panel's edits to the selected photos on the GUI thread a slice at a time, the event loop turning
// between slices, so that a big selection never holds the window still. Edits run in the order they were made,
// each over the photos chosen when it was made; one that finds no edit ahead of it does its first slice at once,
// so a small selection is done when run returns.
class SelectionEdits : public QObject {
    Q_OBJECT
public:
    // False when the photo did not take it (ItemInfo's edits).
    using Edit = std::function<bool(ItemInfo&)>;
    struct Outcome {
        QList<ItemInfoPtr> edited;
        int loading = 0; // tags still being read: left alone
        QStringList gone; // names of the photos no longer there
        QStringList unreadable; // names of the files that cannot be read as pictures
    };
    // Told the photos of each slice that took the edit, right after the slice.
    using Slice = std::function<void(const QList<ItemInfoPtr>&)>;
    // Told once the edit has been through all its photos.
    using Done = std::function<void(const Outcome&)>;

    explicit SelectionEdits(QObject* parent = nullptr);

    void run(const QList<ItemInfoPtr>& items, Edit edit, Slice slice, Done done);
    // Applies what is left at once: before an edit that must come after them, when the event loop ends, and when
    // the owner goes (which must call it then, as the callbacks are the owner's).
    void finish();

    // A slice takes at least minPhotos photos, and more while it has run for less than ms (500 and 20; tests
    // make slices small).
    static void setSlice(int minPhotos, int ms);

private:
    struct Job {
        QList<ItemInfoPtr> items;
        int next = 0;
        Edit edit;
        Slice slice;
        Done done;
        Outcome outcome;
    };
    // Takes the edit on, for one slice or to its end; true when it is done.
    bool runSlice(Job& job, bool whole);
    void finishJob(Job& job);
    void step();
    void schedule();

    std::deque<Job> m_jobs;
    bool m_scheduled = false;
    bool m_running = false;
};
