// Visibility of what the channel module exports.
#ifndef PLUGIN_ENTRY_PLUGIN_EXPORT_H_
#define PLUGIN_ENTRY_PLUGIN_EXPORT_H_

#define VPC_PLUGIN_API __attribute__((visibility("default")))

#endif  // PLUGIN_ENTRY_PLUGIN_EXPORT_H_
