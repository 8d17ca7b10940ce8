// The lookup request (in progress).
#pragma once
