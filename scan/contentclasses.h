#pragma once

// The contents met so far among the files of one size, each class led by the first file met
// with it, and found by key: a content hash for small files, a fingerprint for large ones.

#include "scan/pathstore.h"

#include <QtGlobal>
#include <vector>

namespace tarvik {

// Files of one content met so far: the first of them stands for all.
struct ContentClass
{
    quint64 key = 0;
    // Large files: the hash of the whole content, once known.
    quint64 hash = 0;
    FileRef first;
    // -1 until a second file of this content turns up.
    qint32 group = -1;
    bool hashed = false;
    // False until the key is known: the first two of a size may be compared before it is.
    bool keyed = true;
    // The first could not be read: nothing can be matched against it any more.
    bool dead = false;
    // Shared with the files a byte comparison once found equal to the first (digest cache).
    quint64 token = 0;
};

// Only the worker that holds the bucket of the size touches its classes.
class ContentClasses
{
public:
    void add(const ContentClass& c);
    // The classes with the key whose first can still be read, in the order they were added.
    void liveWithKey(quint64 key, std::vector<quint32>* out) const;
    // The live class last added with the token or given it; -1 for none.
    qint64 liveWithToken(quint64 token) const;
    void setToken(quint32 i, quint64 token);
    ContentClass& operator[](quint32 i) { return mClasses[i]; }
    quint32 size() const { return quint32(mClasses.size()); }

private:
    std::vector<ContentClass> mClasses;
    // Positions + 1 in mClasses by key, open addressing; built once there are many.
    std::vector<quint32> mIndex;
    // Positions + 1 in mClasses by token, open addressing, for the classes that have one; built
    // once there are many: a rescan gives a token to every class of copies.
    std::vector<quint32> mTokenIndex;
    quint32 mTokened = 0;

    void indexToken(quint32 i);
};

} // namespace tarvik
