#pragma once

// The fetch of the watched page and its change detection live here.
