#pragma once

// The one settings object of a program (T derives from CfgHolder<T>): made with its defaults on first use,
// replaced by a fresh one on request, destroyed at exit.
template <class T> class CfgHolder {
public:
    // The one object, made when there is none; recreate > 0 replaces it by a fresh one first.
    static T* instance(int recreate = 0)
    {
        if (recreate > 0)
            release();
        if (!s_obj)
            s_obj = new T();
        return s_obj;
    }
    // The object when there is one, else null.
    static T* get() { return s_obj; }
    // Destroys the object; false when there was none.
    static bool release()
    {
        if (!s_obj)
            return false;
        delete s_obj;
        s_obj = nullptr;
        return true;
    }

private:
    static inline T* s_obj = nullptr;
};
