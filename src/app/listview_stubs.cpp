// listview_stubs.cpp - stand-ins for the list view's state and removal until the list view exists.
//
// STUB: the list view replaces this file with its own definitions.
#include "app/listview_stubs.h"

bool gEditTitleNow = false;

OSStatus RemoveSelectedListItem() {
    return 0;
}
