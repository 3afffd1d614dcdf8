<%@ Language=VBScript %>
<% Option Explicit %>
<!-- #include virtual="/includes/auth.inc" -->
<!-- #include virtual="/includes/db.inc" -->
<%
Call RequireAdmin()
Dim strPageTitle, rs
strPageTitle = "Back office"
Set rs = RunQuery("SELECT COUNT(*) AS N FROM Messages WHERE Answered = False", Empty)
%>
<!-- #include virtual="/includes/header.inc" -->
<h1>Back office</h1>
<ul>
  <li><a href="users.asp">Users</a></li>
  <li><a href="reports/sales.asp">Sales report</a></li>
  <li><a href="reports/inventory.asp">Inventory report</a></li>
</ul>
<p><%= rs("N") %> unanswered messages. <%= Application("ActiveUsers") %> visitors on the site now.</p>
<% rs.Close : Set rs = Nothing %>
<!-- #include virtual="/includes/footer.inc" -->
