#pragma once

// The calling thread as a single-threaded COM apartment for the object's
// life, as the window's thread must be for the mail server's administration
// object: initialised when made, uninitialised when it goes
// (ComApartmentWindows.cpp). Elsewhere there is no COM and it does nothing
// (ComApartmentPosix.cpp).
class ComApartment {
public:
    ComApartment();
    ~ComApartment();
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool m_initialised = false;
};
