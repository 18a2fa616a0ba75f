// The binding's tests reach its native declarations and handles.
using System.Runtime.CompilerServices;

[assembly: InternalsVisibleTo("BindingTests")]
