// Wine (8.x) looks class ids up only in the machine's classes, not in the
// per-user HKCU\Software\Classes where the tuner DLLs register themselves, as
// they must on Windows. Test prefixes therefore copy the per-user entry of the
// tuner filter class to the machine's classes after every registration and
// unregistration. This is test-environment plumbing; nothing shipped does it.
#pragma once

// Makes the machine's entry of the tuner filter class, in this process's
// registry view, a copy of the per-user one, or removes it when there is no
// per-user entry. True when the registry now agrees.
bool MirrorTunerClass();
