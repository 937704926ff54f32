#pragma once

// A folder as the tree model holds it, shared by the model's units.

#include "browse/foldertreemodel.h"
#include "common/requests.h"

#include <QString>

#include <memory>
#include <vector>

namespace vistrel {

struct FolderTreeModel::Node
{
    QString label;
    QString pathText; // what the tree reports as its selected path
    QString folder;   // the folder whose sub-folders are the children
    Node *parent = nullptr;
    int row = 0;
    bool loaded = false;
    bool justLoaded = false;  // read by the opening in progress; nothing to look at again
    bool placeholder = false; // the "Loading…" row of a folder awaiting its first read
    // The reads of its sub-folders, of which the newest counts; made at the first.
    std::unique_ptr<RequestLine> reads;
    std::vector<std::unique_ptr<Node>> children;

    bool reading() const { return reads && reads->isPending(); }
};

} // namespace vistrel
