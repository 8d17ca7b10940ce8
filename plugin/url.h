// URL and local audio path composition (in progress).
#pragma once
