#pragma once

// The application's name, "Tarvelo". No display name is set: the platform
// would append it to every window title ("Hmail Admin — Tarvelo"), where
// each window carries exactly its own caption.
namespace ApplicationIdentity {
void apply();
} // namespace ApplicationIdentity
