#pragma once

class QThreadPool;

// The photo manager's private pools besides Qt's global one; they live from start-up to shut-down.
extern QThreadPool* itemLoadPool; // item loads: tag and cache rows, decoding, thumbnails
extern QThreadPool* exivTagPool; // tags from file metadata, else colour hints
extern QThreadPool* itemStorePool; // writing new tag and cache rows, one at a time
extern QThreadPool* imageLoadPool; // full-size images for the viewer
extern QThreadPool* itemReleasePool; // dropping the items of a cleared view off the GUI thread

// Threads of itemLoadPool for a machine with the given ideal thread count: clamped to 4..8.
int itemLoadThreadCount(int ideal);
void createThreadPools();
// Drops queued jobs (except the release jobs, which all run), waits for the running ones and deletes the pools.
// Jobs that someone waits on must be queued through runJob (pooljob.h), so a dropped one still finishes.
void destroyThreadPools();
