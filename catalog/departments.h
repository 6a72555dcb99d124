#pragma once
// The department catalogue (`Deptos`): the departments that receive the
// goods of an issue. Its list and its form.
namespace tv::catalog {

// The list "Departamentos", by number or by name.
void BrowseDeptos();
// The form of one department (CallRequest 1, 2, 3 or 6).
void UpdateDeptos();

}  // namespace tv::catalog
