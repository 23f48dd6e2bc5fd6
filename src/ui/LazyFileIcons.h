#pragma once

// While a LazyFileIcons object lives, icons made from PNG files read a file
// only when one of its sizes is first drawn, and then only the size that is
// drawn. The style gives each standard icon up to four sizes (16 to 128
// pixels) and would otherwise decode all of them as soon as the icon is made.
// Outside such a scope, and for every other kind of file, icons are made as
// Qt makes them. For the GUI thread only.
class LazyFileIcons {
public:
    LazyFileIcons();
    ~LazyFileIcons();
    LazyFileIcons(const LazyFileIcons&) = delete;
    LazyFileIcons& operator=(const LazyFileIcons&) = delete;

private:
    bool m_outer;
};
