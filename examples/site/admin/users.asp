<%@ Language=VBScript %>
<% Option Explicit %>
<!-- #include virtual="/includes/auth.inc" -->
<!-- #include virtual="/includes/db.inc" -->
<%
Call RequireAdmin()
Dim strPageTitle, rs
strPageTitle = "Users"

If Request.Form("action") = "toggle" And IsNumeric(Request.Form("id")) Then
    Call RunQuery("UPDATE Users SET IsAdmin = NOT IsAdmin WHERE UserID = ?", Array(Request.Form("id")))
End If
Set rs = RunQuery("SELECT UserID, UserName, FullName, IsAdmin, LastLogin FROM Users ORDER BY UserName", Empty)
%>
<!-- #include virtual="/includes/header.inc" -->
<h1>Users</h1>
<table class="grid" cellspacing="0">
  <tr><th>User</th><th>Name</th><th>Last login</th><th>Admin</th></tr>
<% Do While Not rs.EOF %>
  <tr>
    <td><%= Server.HTMLEncode(rs("UserName")) %></td>
    <td><%= Server.HTMLEncode(rs("FullName") & "") %></td>
    <td><%= rs("LastLogin") %></td>
    <td>
      <form method="post" action="users.asp" style="margin:0">
        <input type="hidden" name="action" value="toggle">
        <input type="hidden" name="id" value="<%= rs("UserID") %>">
        <input type="submit" value="<% If rs("IsAdmin") Then Response.Write "Revoke" Else Response.Write "Grant" %>">
      </form>
    </td>
  </tr>
<%
    rs.MoveNext
Loop
rs.Close
%>
</table>
<!-- #include virtual="/includes/footer.inc" -->
