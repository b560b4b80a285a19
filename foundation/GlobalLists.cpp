#include "foundation/List.h"

// The program's global lists. They start empty and without indexes; their
// owners delete the nodes before exit, the lists free only their indexes.
NodeList FolderList;
NodeList g_Palettes;
NodeList g_IfsFormulas;
NodeList g_LSystemFormulas;
NodeList g_Messages;
NodeList g_IterationFormulas;
NodeList g_ColoringFormulas;
NodeList g_Transformations;
NodeList g_FunctionLibraries;
NodeList g_ImageFilters;
NodeList g_Textures;
NodeList g_RenderJobs;
