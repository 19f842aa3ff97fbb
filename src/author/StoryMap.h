// The story's structure as a Graphviz graph: one node per label section (its label, its first line
// of text, the pictures it shows), an edge for every #Goto, for every choice (labelled with the
// choice's text) and for falling through into the next section, and end nodes for #End and #Stop.
#pragma once

#include "author/StoryOutline.h"

#include <string>

namespace Author {

// The graph in the dot language, in UTF-8.
std::string StoryGraph(const TOutline& outline);

}  // namespace Author
