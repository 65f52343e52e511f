#pragma once

// Registers the images and style books compiled into the ui library.
void initOrvantoResources();
