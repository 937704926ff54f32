#pragma once

// Doubles for the seams that more than one test replaces.

#include "browse/folderbrowser.h"

#include <QString>

namespace vistrel::test {

// The folder tree as the browser sees it: a selected path that the test sets.
class FakeTree final : public TreeSelection
{
public:
    QString path;
    QString selectedPath() const override { return path; }
};

} // namespace vistrel::test
