#pragma once

#include "automation/LateBoundTarget.h"

#include <memory>

struct IDispatch;

// A COM object as an automation object, called late-bound through IDispatch
// (DispatchTargetWindows.cpp): each member's DISPID is looked up by its name
// (one name, the thread's locale) right before it is invoked with locale 0;
// "method or property get" is invoked as both. Text goes as BSTR, an argument
// by reference as a reference to one, and its text is read back after a
// successful call. An error the object raises (DISP_E_EXCEPTION) gives its
// EXCEPINFO description; an unknown name "Die Methode '%s' wird vom
// Automatisierungsobjekt nicht unterstützt"; any other failure the system
// text for the code.
//
// Takes the reference dispatch holds; it is released with the target.
std::unique_ptr<LateBoundTarget> dispatchTarget(IDispatch* dispatch);
