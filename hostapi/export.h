// Symbol visibility for the host libraries and the plug-in module.
//
// Every target is built with hidden visibility; only what carries one of
// these macros crosses a shared-object boundary. On ELF the same attribute
// serves for export and import.
#ifndef HOSTAPI_EXPORT_H_
#define HOSTAPI_EXPORT_H_

#define HOSTAPI_VISIBLE __attribute__((visibility("default")))

#define DRAVIK_API HOSTAPI_VISIBLE   // engine library (libDravik.so)
#define FLOATCH_API HOSTAPI_VISIBLE  // float channel library (<GUID>.so)
#define VANTIC_API HOSTAPI_VISIBLE   // object framework (libVantic.so)

#endif  // HOSTAPI_EXPORT_H_
