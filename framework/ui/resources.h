#pragma once

#include <optional>
#include <string>

// The program's own resources: Qt resources stored under
// "<root>/<type>/<id>", the root being ":" (so ":/TEXT/168" in a .qrc with
// prefix "/" and alias "TEXT/168").

// The data of the resource as text, or nullopt when there is no such resource.
std::optional<std::string> GetResource(const std::string& type, int id);

// Whether the program has resources at all (the root exists).
bool HasResources();

// Moves the root, e.g. to a folder on disk; an empty text restores ":".
void SetResourceRoot(const std::string& root);
std::string ResourceRoot();
