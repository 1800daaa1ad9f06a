// acarray.h - the host's growable array (AcArray): an index-based vector with the host's
// member names. Indices are int, as the host declares them.
#pragma once
#include <algorithm>
#include <cstddef>
#include <utility>
#include <vector>

template <class T> class AcArray {
public:
    AcArray() = default;
    explicit AcArray(int physicalLength, int /*growLength*/ = 8) {
        if (physicalLength > 0)
            mData.reserve(static_cast<std::size_t>(physicalLength));
    }

    // Appends value and returns its index.
    int append(const T &value) {
        mData.push_back(value);
        return length() - 1;
    }
    AcArray &append(const AcArray &other) {
        mData.insert(mData.end(), other.mData.begin(), other.mData.end());
        return *this;
    }
    // Inserts value before index (0..length()); an index out of range changes nothing.
    AcArray &insertAt(int index, const T &value) {
        if (index < 0 || index > length())
            return *this;
        // Appended, then turned into place: the same result as vector::insert, without the
        // code path GCC 12 misreads as an overflow at -O2.
        mData.push_back(value);
        std::rotate(mData.begin() + index, mData.end() - 1, mData.end());
        return *this;
    }
    // Removes the element at index; an index out of range changes nothing.
    AcArray &removeAt(int index) {
        if (index >= 0 && index < length())
            mData.erase(mData.begin() + index);
        return *this;
    }
    AcArray &removeLast() {
        if (!mData.empty())
            mData.pop_back();
        return *this;
    }
    AcArray &setAll(const T &value) {
        for (T &v : mData)
            v = value;
        return *this;
    }
    AcArray &setLogicalLength(int n) {
        mData.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
        return *this;
    }
    AcArray &removeAll() {
        mData.clear();
        return *this;
    }

    int length() const { return static_cast<int>(mData.size()); }
    int logicalLength() const { return length(); }
    int physicalLength() const { return static_cast<int>(mData.capacity()); }
    bool isEmpty() const { return mData.empty(); }
    // The index of the first element equal to value, or -1.
    int find(const T &value) const {
        for (int i = 0; i < length(); ++i)
            if (mData[static_cast<std::size_t>(i)] == value)
                return i;
        return -1;
    }
    bool contains(const T &value) const { return find(value) >= 0; }

    // Unchecked access, as the host's own operator[] in a release build.
    T &operator[](int i) { return mData[static_cast<std::size_t>(i)]; }
    const T &operator[](int i) const { return mData[static_cast<std::size_t>(i)]; }
    T &at(int i) { return mData.at(static_cast<std::size_t>(i)); }
    const T &at(int i) const { return mData.at(static_cast<std::size_t>(i)); }
    T &first() { return mData.front(); }
    const T &first() const { return mData.front(); }
    T &last() { return mData.back(); }
    const T &last() const { return mData.back(); }
    T *asArrayPtr() { return mData.data(); }
    const T *asArrayPtr() const { return mData.data(); }

    bool operator==(const AcArray &other) const { return mData == other.mData; }

private:
    std::vector<T> mData;
};
