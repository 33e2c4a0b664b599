// The suite's settings provider as qel-stitch installs it: the one the send
// service installs, with the data folders of the build tree and of the
// installation the tool runs from added after the machine's own.
#pragma once

namespace QelStitch {

// Installs the provider, replacing any installed one.
void InstallSuiteSettingsProvider();
// Installs it unless a provider is installed already. VP3 reads call this
// first: the SPX reader library is looked up once, through the provider.
void EnsureSuiteSettingsProvider();

} // namespace QelStitch
