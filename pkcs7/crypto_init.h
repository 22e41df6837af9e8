#pragma once
// CAST5, IDEA, RC2, Blowfish and SEED live in OpenSSL's legacy provider; the
// rest in its default provider. Loading one provider explicitly stops the
// default one from loading by itself, so both are loaded, once per process.

namespace dovrel {

// Loads the "legacy" and "default" providers on the first call; later calls
// return at once. Safe from any thread. True when both are available.
bool EnsureCryptoProviders();

}  // namespace dovrel
