#pragma once
// The empty root of the library's object families (file objects, images).
class kcClassBase {};
