#pragma once

namespace vistrel {

// Tells screen readers what the program's own widgets are: the link (a link, named by its
// caption, pressed like a click) and the two displays of the picture (a graphic, named by the
// picture's path). Call once before the first window is shown; later calls do nothing.
void installAccessibleInterfaces();

} // namespace vistrel
