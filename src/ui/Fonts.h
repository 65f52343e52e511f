#pragma once

// Makes "Tahoma" available: the system's own when it has one, else the free
// Tahoma that Debian ships with its Wine fonts.
void ensureTahoma();
